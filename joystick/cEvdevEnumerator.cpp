#include "cEvdevEnumerator.h"

#include "DbgLog.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <libevdev/libevdev.h>
#include <linux/input.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
bool ReadLine(const std::string& sPath, std::string& sLine)
{
    std::ifstream in(sPath);
    if (!in)
        return false;
    std::getline(in, sLine);
    return true;
}

uint16_t ReadHex16(const std::string& sPath)
{
    std::string sLine;
    if (!ReadLine(sPath, sLine))
        return 0;
    return static_cast<uint16_t>(std::strtoul(sLine.c_str(), nullptr, 16));
}

// N of "eventN", or -1.
int EventNumber(const char* szName)
{
    if (std::strncmp(szName, "event", 5) != 0 || !szName[5])
        return -1;
    for (const char* p = szName + 5; *p; ++p)
    {
        if (*p < '0' || *p > '9')
            return -1;
    }
    return std::atoi(szName + 5);
}
} // namespace

bool cEvdevNode::SameDevice(const cEvdevNode& other) const
{
    return sName == other.sName && sUniq == other.sUniq && nBus == other.nBus && nVendor == other.nVendor &&
           nProduct == other.nProduct && nVersion == other.nVersion;
}

cEvdevEnumerator::cEvdevEnumerator(std::string sDevDir, std::string sSysDir)
    : m_sDevDir(std::move(sDevDir)), m_sSysDir(std::move(sSysDir))
{
}

std::vector<uint64_t> cEvdevEnumerator::ParseBitmap(const std::string& sText)
{
    std::vector<uint64_t> words;
    std::istringstream in(sText);
    std::string sWord;
    while (in >> sWord)
        words.push_back(std::strtoull(sWord.c_str(), nullptr, 16));
    std::reverse(words.begin(), words.end());  // word 0 holds bits 0..63
    return words;
}

bool cEvdevEnumerator::TestBit(const std::vector<uint64_t>& bitmap, unsigned nBit)
{
    const unsigned nWord = nBit / 64;
    return nWord < bitmap.size() && (bitmap[nWord] >> (nBit % 64)) & 1u;
}

bool cEvdevEnumerator::LooksLikeJoystick(const std::vector<uint64_t>& absBits, const std::vector<uint64_t>& keyBits)
{
    if (!TestBit(absBits, ABS_X) || !TestBit(absBits, ABS_Y))
        return false;
    // BTN_JOYSTICK..BTN_GAMEPAD+15; touchpads and tablets have BTN_DIGI and up instead.
    for (unsigned nCode = BTN_JOYSTICK; nCode < BTN_DIGI; ++nCode)
    {
        if (TestBit(keyBits, nCode))
            return true;
    }
    return false;
}

std::vector<cEvdevNode> cEvdevEnumerator::Joysticks() const
{
    std::vector<cEvdevNode> nodes;
    DIR* pDir = opendir(m_sDevDir.c_str());
    if (!pDir)
        return nodes;
    while (const dirent* pEntry = readdir(pDir))
    {
        const int nNumber = EventNumber(pEntry->d_name);
        if (nNumber < 0)
            continue;
        cEvdevNode node;
        node.sPath = m_sDevDir + "/" + pEntry->d_name;
        node.nNumber = nNumber;
        nodes.push_back(node);
    }
    closedir(pDir);
    // event2 before event10: the kernel numbers nodes in the order devices appeared.
    std::sort(nodes.begin(), nodes.end(), [](const cEvdevNode& a, const cEvdevNode& b) { return a.nNumber < b.nNumber; });

    std::vector<cEvdevNode> joysticks;
    for (cEvdevNode& node : nodes)
    {
        bool bJoystick = false;
        if (!DescribeFromSysfs(node, bJoystick) && !DescribeByOpening(node, bJoystick))
            continue;
        if (bJoystick)
            joysticks.push_back(node);
    }
    return joysticks;
}

bool cEvdevEnumerator::DescribeFromSysfs(cEvdevNode& node, bool& bJoystick) const
{
    const std::string sDevice = m_sSysDir + "/event" + std::to_string(node.nNumber) + "/device";
    std::string sAbs, sKey;
    if (!ReadLine(sDevice + "/capabilities/abs", sAbs) || !ReadLine(sDevice + "/capabilities/key", sKey))
        return false;
    bJoystick = LooksLikeJoystick(ParseBitmap(sAbs), ParseBitmap(sKey));
    ReadLine(sDevice + "/name", node.sName);
    ReadLine(sDevice + "/phys", node.sPhys);
    ReadLine(sDevice + "/uniq", node.sUniq);
    node.nBus = ReadHex16(sDevice + "/id/bustype");
    node.nVendor = ReadHex16(sDevice + "/id/vendor");
    node.nProduct = ReadHex16(sDevice + "/id/product");
    node.nVersion = ReadHex16(sDevice + "/id/version");
    return true;
}

bool cEvdevEnumerator::DescribeByOpening(cEvdevNode& node, bool& bJoystick) const
{
    const int nFd = OpenNode(node.sPath, true);
    if (nFd < 0)
        return false;
    libevdev* pDevice = nullptr;
    if (libevdev_new_from_fd(nFd, &pDevice) != 0)
    {
        close(nFd);
        return false;
    }
    bool bButton = false;
    for (unsigned nCode = BTN_JOYSTICK; nCode < BTN_DIGI && !bButton; ++nCode)
        bButton = libevdev_has_event_code(pDevice, EV_KEY, nCode);
    bJoystick = bButton && libevdev_has_event_code(pDevice, EV_ABS, ABS_X) &&
                libevdev_has_event_code(pDevice, EV_ABS, ABS_Y);
    auto text = [](const char* sz) { return std::string(sz ? sz : ""); };
    node.sName = text(libevdev_get_name(pDevice));
    node.sPhys = text(libevdev_get_phys(pDevice));
    node.sUniq = text(libevdev_get_uniq(pDevice));
    node.nBus = static_cast<uint16_t>(libevdev_get_id_bustype(pDevice));
    node.nVendor = static_cast<uint16_t>(libevdev_get_id_vendor(pDevice));
    node.nProduct = static_cast<uint16_t>(libevdev_get_id_product(pDevice));
    node.nVersion = static_cast<uint16_t>(libevdev_get_id_version(pDevice));
    libevdev_free(pDevice);
    close(nFd);
    return true;
}

int cEvdevEnumerator::OpenFile(const std::string& sPath) const
{
    const int nFd = open(sPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    return nFd >= 0 ? nFd : -errno;
}

int cEvdevEnumerator::OpenNode(const std::string& sPath, bool bReport) const
{
    const int nFd = OpenFile(sPath);
    if (nFd >= 0)
        return nFd;
    const int nError = -nFd;
    if (bReport && (nError == EACCES || nError == EPERM))
        DbgLog(DBG_ERR, "cEvdevEnumerator::OpenNode", __LINE__,
               DbgLogFormat("(%s) permission denied: add the user to the 'input' group "
                            "(sudo usermod -aG input <user>) and log in again",
                            sPath.c_str()));
    else if (bReport)
        DbgLog(DBG_ERR, "cEvdevEnumerator::OpenNode", __LINE__,
               DbgLogFormat("(%s) cannot be opened: %s", sPath.c_str(), std::strerror(nError)));
    return -nError;
}
