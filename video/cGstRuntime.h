#pragma once
#include <initializer_list>
#include <string>

// GStreamer, set up once per process by whichever thread asks first and never
// torn down (it cannot be set up a second time). Every pipeline of the video
// folder asks first, so no caller has to know whether another already did.
class cGstRuntime
{
public:
    // True when GStreamer is usable; otherwise sError gives the reason, the
    // same on every call.
    static bool Init(std::string& sError);

    // The Debian package that provides an element this project uses, or
    // nullptr for an element it does not know.
    static const char* PackageOf(const std::string& sElement);

    // True when every element can be made; otherwise sError names the first
    // missing one with its package: "GStreamer element x264enc is missing
    // (Debian package gstreamer1.0-plugins-ugly)". Inits first.
    static bool HaveElements(std::initializer_list<const char*> elements, std::string& sError);
    static std::string MissingText(const std::string& sElement);
};
