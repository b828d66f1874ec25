#pragma once
// The one place where the library file names Quorane knows from Windows
// ("bass.dll", "bassflac.dll", ...) become the platform's own ("libbass.so",
// "libbassflac.so"): the rest of the program names libraries the Windows way
// and asks here for the file to open. Constant data; any thread.
#include <QString>
#include <array>

namespace LibraryNames {

// The audio engine's file name as Quorane's folder layout writes it.
inline constexpr const char *EngineWindowsName = "bass.dll";

// The seventeen audio add-ons, in the order they are loaded and their handles
// kept.
inline constexpr std::array<const char *, 17> AddOnWindowsNames = {
    "basswma.dll",  "bassflac.dll",  "basswv.dll",   "bassmix.dll",  "basscd.dll",
    "bassenc.dll",  "bass_aac.dll",  "bass_ac3.dll", "bass_adx.dll", "bass_alac.dll",
    "bass_ape.dll", "bass_mpc.dll",  "bass_ofr.dll", "bass_spx.dll", "bass_tags.dll",
    "bass_tta.dll", "bass_wadsp.dll"};

// FFmpeg's container library, which the player's recorder loads by name
// (with the major version it was built against appended) only when it
// writes an .m4a file or reads an MP4 stream; the audio engine loads the
// same library for its container demuxers (audio/src/FormatLibrary.h).
inline constexpr const char *ContainerLibraryPrefix = "libavformat.so.";

// "name.dll" -> "libname.so" (".dll" matched without regard to case, the rest
// kept as written). A name without ".dll" is already a platform name and is
// returned unchanged.
QString ToPlatform(const QString &windowsName);

// ToPlatform(EngineWindowsName): "libbass.so".
QString EngineFileName();

} // namespace LibraryNames
