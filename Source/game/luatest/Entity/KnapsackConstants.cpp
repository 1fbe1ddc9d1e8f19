#include "Entity/KnapsackConstants.h"

namespace knapsack_constants {
float g_aTable[KNAPSACK_NUM_CONSTANTS] = {15.0f, 800.0f, 11.0f, 100.0f, 50.0f, 100.0f};
}  // namespace knapsack_constants

void SetKnapsackConstant(KNAPSACK_CONSTANT c, float fValue) { knapsack_constants::g_aTable[c] = fValue; }
float GetKnapsackConstant(KNAPSACK_CONSTANT c) { return knapsack_constants::g_aTable[c]; }
