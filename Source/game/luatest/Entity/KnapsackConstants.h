// The six tuning values of the player's bouncing backpack: one process-wide
// table, defaults at load, changed by scripts.
#pragma once

enum KNAPSACK_CONSTANT {
  KNAPSACK_MASS = 0,
  KNAPSACK_STIFFNESS = 1,
  KNAPSACK_DAMPING = 2,
  KNAPSACK_SIDE_DEFLECT = 3,
  KNAPSACK_UP_DEFLECT = 4,
  KNAPSACK_RANGE = 5,
  KNAPSACK_NUM_CONSTANTS = 6,
};

void SetKnapsackConstant(KNAPSACK_CONSTANT c, float fValue);
float GetKnapsackConstant(KNAPSACK_CONSTANT c);
