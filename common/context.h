#pragma once
// The one instance of each shared record, handed to every operation. The
// application makes one at start-up; a test makes a fresh one in one line:
//   HeadlessPlatform platform; Context ctx(platform);

#include <memory>

#include "app/workspace_state.h"
#include "calib/calibration_block.h"
#include "calib/settings_state.h"
#include "common/platform.h"
#include "scan/point_cloud_store.h"

namespace km {

struct Context {
  explicit Context(Platform& p) : platform(p), store(std::make_unique<PointCloudStore>()) {}

  Platform& platform;
  WorkspaceState workspace;
  CalibrationBlock calib;
  SettingsState settings;
  std::unique_ptr<PointCloudStore> store;  // large: allocated once on the heap
  StripeTable scanTable;                   // the scan run's stripe table
  StripeTable referenceTable;              // the reference detection's own table
};

}  // namespace km
