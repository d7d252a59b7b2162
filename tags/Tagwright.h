#pragma once
// The tag library's chief header: ID3v1 tag, ID3v2 tag and MPEG audio information.
#include "tags/ID3v1Tag.h"
#include "tags/ID3v2Tag.h"
#include "tags/MpegInfo.h"
