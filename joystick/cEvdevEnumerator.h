#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One evdev node and who is behind it.
struct cEvdevNode
{
    std::string sPath;  // /dev/input/eventN
    int nNumber = -1;   // N
    std::string sName;
    std::string sPhys;  // where it is plugged in
    std::string sUniq;
    uint16_t nBus = 0;
    uint16_t nVendor = 0;
    uint16_t nProduct = 0;
    uint16_t nVersion = 0;

    // The same device, wherever it is plugged in now.
    bool SameDevice(const cEvdevNode& other) const;
};

// Finds the attached joysticks and gamepads: event nodes with absolute X and Y
// axes and a joystick or gamepad button, in node-number order. Capabilities
// and identity come from sysfs, so nodes need not be opened to be listed;
// without sysfs each node is opened and asked.
class cEvdevEnumerator
{
public:
    explicit cEvdevEnumerator(std::string sDevDir = "/dev/input", std::string sSysDir = "/sys/class/input");
    virtual ~cEvdevEnumerator() = default;

    std::vector<cEvdevNode> Joysticks() const;

    // Opens a node for non-blocking reading: the descriptor, or -errno. A node
    // the user may not read is reported with the usual fix when bReport is set.
    int OpenNode(const std::string& sPath, bool bReport) const;

    // A sysfs capability bitmap: hexadecimal words, the most significant first.
    static std::vector<uint64_t> ParseBitmap(const std::string& sText);
    static bool TestBit(const std::vector<uint64_t>& bitmap, unsigned nBit);
    static bool LooksLikeJoystick(const std::vector<uint64_t>& absBits, const std::vector<uint64_t>& keyBits);

protected:
    // The bare open(2): a descriptor or -errno.
    virtual int OpenFile(const std::string& sPath) const;

private:
    bool DescribeFromSysfs(cEvdevNode& node, bool& bJoystick) const;
    bool DescribeByOpening(cEvdevNode& node, bool& bJoystick) const;

    std::string m_sDevDir;
    std::string m_sSysDir;
};
