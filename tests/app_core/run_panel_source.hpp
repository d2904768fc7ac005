#pragma once

// A settings panel made of a table, holding the texts the real panel starts
// with; tests change single entries.

#include "app/core/control_ids.hpp"
#include "app/core/run_settings.hpp"

#include <map>
#include <mutex>
#include <set>
#include <string>

namespace runtest {

class TablePanel : public app::PanelSource {
public:
    TablePanel() {
        using namespace app;
        texts_ = {{IDC_OUTPUT_PATH, "outputs\\cpp_gui_nesting_result.dxf"},
                  {IDC_SHEET_WIDTH, "3000"},
                  {IDC_SHEET_HEIGHT, "1500"},
                  {IDC_SPACING, "5"},
                  {IDC_CURVE_TOLERANCE, "2"},
                  {IDC_JOIN_TOLERANCE, "0.2"},
                  {IDC_ROTATIONS, "2"},
                  {IDC_OPTIMIZATION_RATIO, "0.5"},
                  {IDC_MAX_ITERATIONS, "0"},
                  {IDC_PRICE_PER_KG, "6500"},
                  {IDC_DENSITY, "8000"},
                  {IDC_THICKNESS, "2.5"},
                  {IDC_THREADS, "3"},
                  {IDC_POPULATION, "4"},
                  {IDC_MUTATION_PERCENT, "8"},
                  {IDC_SHUFFLE_PERCENT, "10"},
                  {IDC_SHUFFLE_INTENSITY, "15"}};
        combos_ = {{IDC_OPTIMIZATION_TYPE, "Bounding Box"},
                   {IDC_INPUT_UNITS, "mm"},
                   {IDC_SOLVER, "cpu"}};
        checked_ = {IDC_MERGE_COMMON_LINES, IDC_UNIT_MM};
    }

    void set_text(int id, const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        texts_[id] = text;
    }
    void set_combo(int id, const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex_);
        combos_[id] = text;
    }
    void set_checked(int id, bool on) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (on) {
            checked_.insert(id);
        } else {
            checked_.erase(id);
        }
    }
    // Every control read so far, in order.
    std::vector<int> reads() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return reads_;
    }

    std::string text(int id) override {
        std::lock_guard<std::mutex> lock(mutex_);
        reads_.push_back(id);
        auto it = texts_.find(id);
        return it == texts_.end() ? std::string() : it->second;
    }
    std::string combo_text(int id) override {
        std::lock_guard<std::mutex> lock(mutex_);
        reads_.push_back(id);
        auto it = combos_.find(id);
        return it == combos_.end() ? std::string() : it->second;
    }
    bool checked(int id) override {
        std::lock_guard<std::mutex> lock(mutex_);
        reads_.push_back(id);
        return checked_.count(id) != 0;
    }

private:
    mutable std::mutex mutex_;
    std::map<int, std::string> texts_;
    std::map<int, std::string> combos_;
    std::set<int> checked_;
    std::vector<int> reads_;
};

}  // namespace runtest
