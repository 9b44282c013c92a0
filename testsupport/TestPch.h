// Headers that most test programs include, compiled once for all of them
// (kestrum_test_code). <utility> first: Boost 1.74's Asio needs it before itself.
#include <utility>

#include <atomic>
#include <boost/asio/ip/udp.hpp>
#include <boost/filesystem.hpp>
#include <boost/signals2/signal.hpp>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>
