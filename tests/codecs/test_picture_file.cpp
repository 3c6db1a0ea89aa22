#include <gtest/gtest.h>

#include "codecs/picture_file.h"
