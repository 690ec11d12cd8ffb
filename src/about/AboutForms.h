#pragma once

// Makes the web-link form "frmURLACTION" and the credits "frmCredits" known to the form registry.
void registerAboutForms();
