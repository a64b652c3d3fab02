// Filled by the log subsystem.
