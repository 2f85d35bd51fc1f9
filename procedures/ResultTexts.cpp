#include "procedures/ResultTexts.h"

std::string FactoryResultText;
std::string UserResultText;
