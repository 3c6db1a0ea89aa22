#include <gtest/gtest.h>

#include "codecs/bmp.h"
