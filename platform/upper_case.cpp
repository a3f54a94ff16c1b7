#include "platform/upper_case.h"
