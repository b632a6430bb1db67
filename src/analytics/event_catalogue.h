// The event catalogue: for each record kind its event name, its required
// fields (a missing one throws ZvException with the kind's message) and the
// properties it yields before the caller's context properties are merged.
#pragma once

#include <string>

#include "analytics/event_records.h"
#include "analytics/sdk/value_node.h"

namespace zorvan::analytics {

using zv_transport::PropertiesNode;

PropertiesNode TaskProperties(const ZvEventTask& event);
PropertiesNode ClickProperties(const ZvEventClick& event);
PropertiesNode ViewProperties(const ZvEventView& event);
PropertiesNode CashierProperties(const ZvEventCashier& event);
PropertiesNode ShareProperties(const ZvEventShare& event);
PropertiesNode FileProperties(const ZvEventFile& event);
PropertiesNode OrderProperties(const ZvEventOrder& event);
PropertiesNode PaymentProperties(const ZvEventPayment& event);
PropertiesNode UninstallProperties(const std::string& reason);
PropertiesNode CrashProperties(const std::string& reason);
PropertiesNode UpdateProperties(const ZvEventUpdate& event);
PropertiesNode AppOpenNotificationProperties(const AppOpenNotification* event);
PropertiesNode LoginProperties(const ZvEventLogin& event, bool success, const std::string& reason);
// Added to the merged activity properties.
void AddActivityProperties(const ZvEventActivity& event, PropertiesNode& properties);

}  // namespace zorvan::analytics
