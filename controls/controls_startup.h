#pragma once
// The control library's start-up and its reverse. The program calls InitializeControls once the
// application object is initialised and before the first form is created, and FinalizeControls after
// the message loop and before the application is finalised. Both are counted: only the first
// start-up and the last shut-down do work, so a host and its tests may each call them.
void InitializeControls();
void FinalizeControls();

// True between the first InitializeControls and the matching FinalizeControls.
bool ControlsInitialized();
