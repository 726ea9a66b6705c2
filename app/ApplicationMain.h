#pragma once
// The program's entry point into the application: what `main` does on the phone.

namespace quillora {

// Registers the main storyboard and hands control to UIApplicationMain with AppDelegate.
// Returns the main loop's exit code.
int applicationMain(int argc, char** argv);

} // namespace quillora
