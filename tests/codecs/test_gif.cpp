#include <gtest/gtest.h>

#include "codecs/gif.h"
