#include <gtest/gtest.h>

#include "codecs/jpeg.h"
