#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One request as the library server's routes see it, read whole before any route runs.
struct OXServerRequest {
  std::string method;  // a HEAD arrives as "GET": the server leaves the body out of its answer
  std::string path;    // percent-decoded, without the query
  std::vector<std::string> captures;  // the route pattern's groups, in order
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // The header `name` (in any case of letters), or null.
  const std::string* header(std::string_view name) const;
  // Whether a header called `key` is the header `name`: names are compared without regard to case.
  static bool isNamed(std::string_view key, std::string_view name);
};
