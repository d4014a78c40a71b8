#pragma once
// Whether a control is a window (a TWinControl), asked for every child while painting. The answer
// is the type system's, remembered per class: a class is windowed or not once and for all, and a
// cast through a deep hierarchy costs more than painting a small control.
class TControl;
class TWinControl;

// The control as a TWinControl; null for a windowless control and for null.
TWinControl* AsWindowed(TControl* control);
