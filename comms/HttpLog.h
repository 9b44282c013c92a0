#pragma once

// nx::http holds the UDP transport: endpoints, the socket server and its log
// lines. The name is the design's word for that code; none of it speaks HTTP.
namespace nx::http
{
// Log lines of the UDP layer: INF as "nx::http::HTTP_INFO" (20), ERR as
// "nx::http::HTTP_ERROR" (8), both in the network category.
void HTTP_INFO(const char* szText);
void HTTP_ERROR(const char* szText);
} // namespace nx::http
