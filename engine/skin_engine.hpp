#pragma once
// The skin engine library "hrttp.dll": its one entry point and the results it gives.
//
// SkinH_AttachEx reads a skin file (engine/skin_format.hpp) and applies it to the running application: the base
// style, the palette and the style sheet are set on the QApplication, so every window, the ones created later
// and the message boxes included, is drawn with the skin. Calling it again replaces the skin. It must be called
// on the application's own thread. The library keeps nothing that refers to its own code inside the
// application, so it may be unloaded after a skin has been attached.

namespace quorvelv {

enum skin_attach_result : int {
    skin_attached = 0,
    skin_no_application = 1,       // no QApplication, or called from another thread
    skin_file_unreadable = 2,      // missing, not a regular file, or unreadable
    skin_bad_signature = 3,        // does not begin with ".SHE", 0
    skin_unsupported_version = 4,  // ".SHE", 0 and a version other than 3
    skin_wrong_password = 5,
    skin_malformed = 6,
    skin_engine_failure = 7,       // out of memory while applying
};

using skin_attach_function = int (*)(const char* skin_file_path, const char* password);

inline constexpr const char* skin_engine_file_name = "hrttp.dll";
inline constexpr const char* skin_attach_function_name = "SkinH_AttachEx";

}  // namespace quorvelv

extern "C" {
// Both arguments are zero-terminated; the path in the file system's encoding, a null password is the empty one.
__attribute__((visibility("default"))) int SkinH_AttachEx(const char* skin_file_path, const char* password);
}
