// Placeholder replaced below once the dialog's controls are known.
