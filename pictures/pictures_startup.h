#pragma once
// Start-up and shut-down of the picture classes: the GIF picture class joins the framework's picture
// registry (".gif", "GIF Image") and the clipboard format "GIF Image", the PNG picture class the
// picture registry (".png", "Portable Network Graphics") and its chunk classes their registry. Called by the
// program after the application object is initialised and before the control library starts, and
// in reverse at exit. Calls nest: only the outermost pair does the work.
void InitializePictures();
void FinalizePictures();
