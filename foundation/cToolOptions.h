#pragma once
#include <string>

// What the command-line tools' options have in common: Parse (in each tool's
// subclass) says whether to run, to show the usage or to stop, with Error()
// saying what was wrong; a number counts only when the whole text is one
// number in range, so "5x" or "" never quietly becomes 5 or 0. Every tool
// answers --help and --version.
class cToolOptions
{
public:
    enum class eParse
    {
        Run,
        Help,
        Version,
        Error,
    };

    virtual ~cToolOptions() = default;

    const std::string& Error() const { return m_sError; }

    // nBase as strtol: 10 for decimal only, 0 to take 0x.. (hex) and 0.. (octal)
    // too. nValue is left alone when the text is refused.
    static bool ParseInteger(const char* szText, long nMinimum, long nMaximum, int nBase, long& nValue);
    // What --version prints: "<program> (Kestrum) <version>" and a line end.
    static std::string VersionText(const char* szProgram);

protected:
    eParse Fail(std::string sError);
    // What getopt_long refused, read from optind: ':' is a missing value,
    // anything else an unknown option.
    eParse FailOption(int nOption, char* argv[]);

    std::string m_sError;
};
