// Without the Qt parts, the plain main loop is the only delivery path.
#include "bench/support/Delivery.h"

namespace lum::bench {

void AddQtDelivery(std::vector<DeliveryFactory>&) {}

}  // namespace lum::bench
