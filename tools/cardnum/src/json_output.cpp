// SPDX-FileCopyrightText: 2026 The Slotscan authors
//
// SPDX-License-Identifier: MIT

#include "json_output.h"

#include "card_number.h"
#include "id_filter.h"

namespace cardnum {

nlohmann::ordered_json toJson(const PCIID& filter) {
    return {{"vendor_id", filter.VendorID},
            {"device_id", filter.DeviceID},
            {"subsystem_vendor_id", filter.SubsystemVendorID},
            {"subsystem_id", filter.SubsystemID},
            {"text", describeFilter(filter)}};
}

nlohmann::ordered_json toJson(const Card& card) {
    return {{"index", card.index},
            {"card_no", card.number},
            {"card_no_hex", hex4(card.number)},
            {"io_base", card.ioBase},
            {"io_base_hex", hex4(card.ioBase)},
            {"irq", card.irq},
            {"bus", card.bus},
            {"device", card.device},
            {"slot", slotOf(card)}};
}

nlohmann::ordered_json toJson(const Finding& finding) {
    nlohmann::ordered_json json{{"kind", finding.kind},
                                {"where", finding.where},
                                {"index", finding.index ? nlohmann::ordered_json(*finding.index)
                                                        : nlohmann::ordered_json()}};
    if (finding.reachedIndex) {
        json["reached_index"] = *finding.reachedIndex;
        json["reached_where"] = finding.reachedWhere;
    }
    json["what"] = finding.what;
    json["meaning"] = finding.meaning;
    json["action"] = finding.action;
    return json;
}

nlohmann::ordered_json cardListJson(const PCIID& filter, const std::vector<Card>& cards) {
    auto list = nlohmann::ordered_json::array();
    for (const Card& card : cards) list.push_back(toJson(card));
    return {{"filter", toJson(filter)}, {"cards", list}};
}

void printJson(std::ostream& out, const nlohmann::ordered_json& json) {
    out << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

}  // namespace cardnum
