// Filled by the scan subsystem.
