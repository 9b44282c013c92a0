#pragma once
#include <cstdint>
#include <functional>
#include <string>

// Process-wide diagnostic log. Each deliverable (program, Portelle, Joyvane)
// links its own copy, so each writes its own file.
//
// A line names its function and a line number. Most calls pass a fixed
// number, not __LINE__: the numbers are part of the log format that operators
// and their tools read, so a message keeps its number wherever the code moves.
// __LINE__ serves only messages that have no fixed number. Tests check a
// representative few of the numbers, not every one.

enum : int32_t
{
    DBG_NUL = 0,
    DBG_FAT = 1,
    DBG_ERR = 2,
    DBG_WRN = 3,
    DBG_INF = 4,
    DBG_DBG = 5,
    DBG_END = 6,
};

// Category masks: with every category enabled they only label the call.
enum : uint32_t
{
    CAT_GENERAL = 0x00000001u,
    CAT_IOLIB = 0x01000000u,
    CAT_THREAD = 0x02000000u,
    CAT_COMMS = 0x20000000u,
    CAT_HTTP = 0x30000000u,
};

void DbgLog(int32_t nLevel, const char* szFunction, int32_t nLine, const char* szText,
            uint32_t nCategory = CAT_GENERAL);

// printf-style formatting into a buffer of the calling thread, valid until that
// thread's next DbgLogFormat call.
const char* DbgLogFormat(const char* szFormat, ...) __attribute__((format(printf, 1, 2)));

void DbgLogSetLevel(int32_t nLevel);
int32_t DbgLogGetLevel();

// Writes the closing lines and closes the file; a later message reopens it.
void DbgLogClose();

// Used by the shared libraries when they are loaded: initialise, take their own
// file name before any line reaches a file, and reset the threshold to WRN.
void DbgLogInitLibrary(const char* szFileName);

// Used by the shared libraries as they are unloaded: closes the file and frees
// the library's log, which would otherwise outlive its code. Nothing in the
// library may log afterwards.
void DbgLogReleaseLibrary();

// Sees every line that passes the level and category tests (level, line text
// without tag). Meant for tests; pass an empty function to remove it.
void DbgLogSetObserver(std::function<void(int32_t, const std::string&)> fnObserver);
