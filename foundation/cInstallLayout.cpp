#include "cInstallLayout.h"

#include <boost/filesystem/operations.hpp>
#include <boost/filesystem/path.hpp>

namespace fs = boost::filesystem;

std::string cInstallLayout::ProgramFolder()
{
    boost::system::error_code ec;
    const fs::path program = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : program.parent_path().string();
}

std::string cInstallLayout::SharedDataFolder()
{
    const std::string sProgram = ProgramFolder();
    if (sProgram.empty())
        return {};
    boost::system::error_code ec;
    const fs::path shared = fs::weakly_canonical(fs::path(sProgram) / ".." / "share" / "kestrum", ec);
    return !ec && fs::is_directory(shared, ec) ? shared.string() : std::string();
}

std::string cInstallLayout::SampleConfigFolder()
{
    const std::string sShared = SharedDataFolder();
    if (sShared.empty())
        return {};
    boost::system::error_code ec;
    const fs::path config = fs::path(sShared) / "config";
    return fs::is_directory(config, ec) ? config.string() : std::string();
}

std::string cInstallLayout::ExistingOrSample(const std::string& sPath)
{
    boost::system::error_code ec;
    if (sPath.empty() || fs::exists(sPath, ec))
        return sPath;
    const std::string sSamples = SampleConfigFolder();
    if (sSamples.empty())
        return sPath;
    const fs::path sample = fs::path(sSamples) / fs::path(sPath).filename();
    return fs::is_regular_file(sample, ec) ? sample.string() : sPath;
}
