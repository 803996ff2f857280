// Resource identifiers of Lumarest.exe.
#pragma once

#define IDR_MAINFRAME 128  // application icon and the main window's title string
#define IDD_ABOUTBOX 201   // the dialog template the custom dialogs are built from
