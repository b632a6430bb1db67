// The analytics collector as the tests meet it: a real talvorin-collector on
// loopback over HTTP and HTTPS (tools/collector/README.md has its addresses
// and switches). Linux: one collector per test program, started as a child
// process. Windows (under Wine, which cannot hand a native child our pipes):
// the one scripts/test-all.sh starts, named by TALVORIN_COLLECTOR (its ports
// line) and TALVORIN_COLLECTOR_CA (its CA file as a Windows path). Tests keep
// apart by scenario id.
#pragma once

#include <string>
#include <vector>

#include "loopback_peer_fixture.h"

namespace TestSupport {

class Collector {
 public:
  Collector();
  ~Collector();
  Collector(const Collector&) = delete;
  Collector& operator=(const Collector&) = delete;

  static Collector& Shared();

  bool Started() const { return peer_.Started(); }
  const std::string& Error() const { return peer_.Error(); }
  const std::string& CaFile() const { return peer_.CaFile(); }

  // The batch address of a scenario ("<id>[;option...]").
  std::string CollectUrl(const std::string& scenario, bool https = false) const;
  std::string LocationUrl(const std::string& scenario, bool https = false) const;
  // An address on loopback where every connection is refused.
  std::string RefusedUrl() const;

  // The records an id received (each as sent), oldest first.
  std::vector<std::string> Records(const std::string& id) const;
  // The names of the funnel events an id received, in order: task names
  // ("zv_task_name") and click and view names ("zv_name") alike.
  std::vector<std::string> EventNames(const std::string& id) const;
  // One line per request of an id ("collect 200 30", "collect 503 30 not kept", ...).
  std::vector<std::string> Log(const std::string& id) const;

 private:
  std::string Fetch(const std::string& path) const;
  std::string Base(bool https) const;

  LoopbackPeer peer_;
};

}  // namespace TestSupport
