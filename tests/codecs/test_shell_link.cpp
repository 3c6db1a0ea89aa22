#include <gtest/gtest.h>

#include "codecs/shell_link.h"
