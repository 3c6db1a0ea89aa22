#include <gtest/gtest.h>

#include "codecs/png.h"
