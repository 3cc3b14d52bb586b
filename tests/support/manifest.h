// The payload manifest the build writes (build/*/payload/manifest.tsv): one
// line per carried file with the name the setup uses, the file that was
// packed and its recorded UTC time, separated by tabs.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct Carried {
  std::string Name, Input, Time;
};

inline std::vector<Carried> ReadManifest(const std::string &path) {
  std::ifstream in(path);
  std::vector<Carried> rows;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    Carried row;
    std::getline(fields, row.Name, '\t');
    std::getline(fields, row.Input, '\t');
    std::getline(fields, row.Time, '\t');
    rows.push_back(row);
  }
  return rows;
}
