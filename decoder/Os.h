// What the decoder needs of the operating system: its files, by C runtime descriptor
// (which libmpg123 reads too), the sound drivers to try, and thread names. One
// implementation per system: posix/Os.cpp, win32/Os.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mp3::os {

// Opens a song by its 8-bit platform path for reading: a regular file only, and
// without waiting on a FIFO or device. The descriptor and the file's size, or -1.
int OpenSong(const char* ansiPath, std::uint64_t& size);
// Creates (or empties) a file for writing, by the path as the MP3_OUTPUT setting
// gives it; -1 when it cannot.
int CreateOutputFile(const std::string& path);
void CloseFile(int fd);
// Up to n bytes at pos; the count done, fewer only at the end or on an error.
std::size_t ReadAt(int fd, std::uint64_t pos, std::uint8_t* buffer, std::size_t n);
std::size_t WriteAt(int fd, std::uint64_t pos, const std::uint8_t* data, std::size_t n);
// Renames a file, replacing one of the new name.
bool RenameFile(const std::string& from, const std::string& to);

// libout123's drivers to try in turn when the setting names none.
const char* DefaultDrivers();
// Seconds of sound the device driver holds (libout123's device buffer); 0 for its own.
double DeviceBuffer();
// Names the calling thread (for top and the benchmark).
void NameThread(const char* name);
// Calls fn when the process ends through exit, while its other threads still run; the
// library stays loaded until then.
void AtExit(void (*fn)());

} // namespace mp3::os
