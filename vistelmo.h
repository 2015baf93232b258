// Vistelmo: images, volumes and video. One header for callers.
#pragma once

#include "foundation/constants.h"
#include "foundation/erro.h"
#include "foundation/int_field.h"
#include "foundation/matriz.h"
#include "foundation/points.h"
#include "foundation/vetor.h"
#include "images/cor.h"
#include "images/images.h"
#include "images/yuv.h"
