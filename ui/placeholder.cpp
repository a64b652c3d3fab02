// Filled by the dialogs.
