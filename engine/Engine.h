#pragma once

// The network engine: text in, text out, no user interface.
#include "engine/Evaluation.h"
#include "engine/Exponential.h"
#include "engine/Fields.h"
#include "engine/FileReplacement.h"
#include "engine/NameText.h"
#include "engine/Network.h"
#include "engine/NetworkFile.h"
#include "engine/Numbers.h"
#include "engine/TextEncoding.h"
#include "engine/Training.h"
#include "engine/WeightReport.h"
