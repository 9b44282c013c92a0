// The Qt headers the windows include, compiled once for the console's
// library and the programs built on it. <utility> first: Boost 1.74's Asio
// needs it before itself.
#include <utility>

#include <QtWidgets>
#include <boost/signals2/signal.hpp>
#include <functional>
#include <memory>
#include <string>
#include <vector>
