#pragma once

// Registers the configuration dialog's two small modal dialogs, frmMouseSensitivity and frmMixer,
// with the form registry.
void registerShellDialogs();
