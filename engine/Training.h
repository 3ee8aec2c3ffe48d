#pragma once

#include <string_view>

#include "engine/Network.h"

namespace zelk {

// One step of back-propagation with momentum on a sample given as two pattern lines. With
// `continueLearning` false the weights are drawn anew and the sample count restarts first.
// Returns what BackPropagationStep returns.
double TrainSample(Network& network, std::string_view inputLine, std::string_view desiredLine,
                   bool continueLearning);

// The same step on prepared vectors: learning rate 0.1, momentum 0.5; TrainedSamples grows by one.
// Returns the sample's running error: the sum over the outputs, in index order, of
// |desired - output| from the step's own forward pass, before the weights change (0 without one).
double BackPropagationStep(Network& network, const ValueVector& inputs, const ValueVector& desired,
                           bool continueLearning);

}  // namespace zelk
