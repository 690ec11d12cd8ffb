#pragma once

// Registers the configuration dialog's small modal dialogs, frmMouseSensitivity, frmMixer and
// frmMonitors, with the form registry.
void registerShellDialogs();
