// Windows: the reduced-motion wish.
//  - TALVORIN_REDUCED_MOTION first;
//  - then SPI_GETCLIENTAREAANIMATION ("Show animations in Windows" off).
#include "ui/framework/motion_preference.h"

#include <windows.h>

namespace Ui {

bool SystemPrefersReducedMotion() {
  if (std::optional<bool> forced = ReducedMotionOverride()) return *forced;
  BOOL animations = TRUE;
  if (!SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &animations, 0)) return false;
  return animations == FALSE;
}

}  // namespace Ui
