#include "link/SerialDevice.h"

SerialDevice::~SerialDevice() = default;
