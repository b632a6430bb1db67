#include "ui/framework/canvas.h"
