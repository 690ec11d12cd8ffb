#pragma once

// Registers the media search "frmFileSearch" and the single-file search "frmSingleFileSearch".
void registerSearchForms();
