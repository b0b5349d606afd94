// The file calls of files_platform.h on Windows, with the C runtime's
// descriptors and Win32's view of the files behind them. Built for Windows
// only; elsewhere this file is empty, for tools that read every file here.
#ifdef _WIN32
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include "files_platform.h"

namespace {

// Reads the volume serial number and file id of the disk file open as
// `handle`. The 128-bit id is asked for first: on some file systems the
// 64-bit file index is not unique. The 64-bit index serves only where the
// file system does not know the 128-bit id at all, never after another
// failure, so that two handles to one file are always identified alike.
bool identify(HANDLE handle, FileIdentity& identity)
{
    FILE_ID_INFO id{};
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id) != 0) {
        identity.volume = id.VolumeSerialNumber;
        std::memcpy(&identity.file_low, id.FileId.Identifier, sizeof identity.file_low);
        std::memcpy(&identity.file_high, id.FileId.Identifier + sizeof identity.file_low, sizeof identity.file_high);
        return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED && error != ERROR_INVALID_FUNCTION) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(handle, &info) == 0) {
        return false;
    }
    identity = {info.dwVolumeSerialNumber, 0, (std::uint64_t{info.nFileIndexHigh} << 32U) | info.nFileIndexLow};
    return true;
}

} // namespace

// Only a disk file is identified: a console, NUL or a pipe is never the
// input's other name. A disk file whose identity cannot be had cannot be
// examined, so the program refuses it rather than guess.
bool examine(int fd, FileFacts& facts)
{
    struct _stat64 info {};
    if (_fstat64(fd, &info) != 0) {
        return false;
    }
    // The C runtime gives the handle as an integer.
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd)); // NOLINT(performance-no-int-to-ptr)
    const bool on_disk = GetFileType(handle) == FILE_TYPE_DISK;
    facts = {.identity = {},
             .identified = on_disk,
             .directory = (info.st_mode & _S_IFMT) == _S_IFDIR,
             .regular = (info.st_mode & _S_IFMT) == _S_IFREG, // given to disk files only
             .size = static_cast<std::uint64_t>(info.st_size),
             .mode = static_cast<std::uint32_t>(info.st_mode & (_S_IREAD | _S_IWRITE))};
    return !on_disk || identify(handle, facts.identity);
}

// Binary, or the C runtime would write every 0x0A byte as 0x0D 0x0A. A new
// file is never read-only, even when the input is, so that a later j6enc can
// replace it; beyond that it takes the permissions that its folder gives new
// files, as every file a Windows program creates.
int open_for_writing(const char* name, const FileFacts& /*input*/)
{
    return _open(name, _O_WRONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

bool truncate_to_empty(int fd)
{
    return _chsize_s(fd, 0) == 0;
}

void close_descriptor(int fd)
{
    static_cast<void>(_close(fd));
}

#endif
