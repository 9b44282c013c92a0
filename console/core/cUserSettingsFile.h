#pragma once
#include <string>

// The settings file the console reads when the command line names none:
// config/Kestrum.xml in the working folder, as ever, when there is one;
// otherwise the user's own Kestrum.xml in $XDG_CONFIG_HOME/kestrum
// (~/.config/kestrum), made on first use from the samples installed with the
// program. The user's copy names the copied definitions files by their full
// paths, so it reads the same from any working folder. The console and the
// simulator both choose through ForCommandLine, so that they cannot take
// different files; either may be the one that makes the user's copy, also
// while the other is making it.
class cUserSettingsFile
{
public:
    static constexpr const char* kWorkingFolderFile = "config/Kestrum.xml";
    static constexpr const char* kFileName = "Kestrum.xml";

    struct Choice
    {
        std::string sPath;
        bool bCreated = false;  // the user's copy was made just now
        std::string sError;     // why the user's copy could not be made (sPath is then the default)
    };

    // $XDG_CONFIG_HOME/kestrum, or ~/.config/kestrum.
    static std::string Folder();
    static Choice Choose(const std::string& sSamplesFolder);
    // sNamed when the command line names a file; otherwise Choose with the
    // samples installed with the running program. Telling the user what was
    // made, or could not be, is the caller's part.
    static Choice ForCommandLine(const std::string& sNamed);
    // The file ForCommandLine("") takes, without making anything (for help texts).
    static std::string WouldChoose();

    // Copies every sample (*.xml) that sFolder lacks; in the copy of the
    // settings file, a relative path that names a copied sample becomes that
    // copy's full path. Files already in sFolder are left as they are.
    static bool CreateFromSamples(const std::string& sSamplesFolder, const std::string& sFolder, std::string& sError);
};
