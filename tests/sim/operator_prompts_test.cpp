// The diligent operator sets the bench as each of the station's prompts asks.

#include <gtest/gtest.h>

#include "sim/operator.h"

namespace sim {
namespace {

SimBench g_bench{};
int g_sets = 0;
double g_amps = 0.374;

const SimBenchApi& FakeBench() {
    static SimBenchApi api{};
    api.version = SIM_BENCH_API_VERSION;
    api.GetBench = [](SimBench* out) { *out = g_bench; };
    api.SetBench = [](const SimBench* in) {
        g_bench = *in;
        ++g_sets;
    };
    api.ReadAmmeter = [] { return g_amps; };
    return api;
}

class OperatorPrompts : public ::testing::Test {
protected:
    void SetUp() override {
        g_bench = SimBench{};
        g_bench.supplyVolts = 7.2;
        g_sets = 0;
    }
    DiligentOperator op{FakeBench()};
};

const char* kConditions = "下記に示す条件に設定してください\r\n";

TEST_F(OperatorPrompts, CameraSetUpCablesAndPower) {
    op.Follow("MESSAGE",
              "カメラの設定を以下のように設定してください。\r\n・メインスイッチ＝ＯＮ\r\n・露出モード＝Ｍ\r\n・ＡＦモード＝Ｍ");
    EXPECT_EQ(g_bench.mainSwitchOn, 1);
    EXPECT_EQ(g_bench.exposureMode, SIM_MODE_MANUAL);
    EXPECT_EQ(g_bench.afMode, SIM_MODE_MANUAL);
    op.Follow("MESSAGE", "ＵＳＢケーブルをカメラに差し込んでください\r\n");
    EXPECT_EQ(g_bench.usbPlugged, 1);
    op.Follow("MESSAGE", "電池工具（抵抗無し）をカメラに接続してください");
    EXPECT_EQ(g_bench.power, SIM_POWER_BATTERY_TOOL);
    op.Follow("MESSAGE", "ＡＣアダプターをカメラに接続してください");
    EXPECT_EQ(g_bench.power, SIM_POWER_AC_ADAPTER);
    op.Follow("MESSAGE", "電池工具（抵抗無し）を使用してますか？\r\nやりなおす場合はキャンセルを押してください。");
    EXPECT_EQ(g_bench.power, SIM_POWER_BATTERY_TOOL);
    for (const char* volts : {"電源電圧を７．７［Ｖ］に設定してください。", "電池電圧を９[V]に設定してください",
                              "電源電圧を７．２［Ｖ］に設定してください。"})
        op.Follow("MESSAGE", volts);
    EXPECT_DOUBLE_EQ(g_bench.supplyVolts, 7.2);
    op.Follow("MESSAGE", "カメラから各種ケーブル類を取り外してください");
    EXPECT_EQ(g_bench.usbPlugged, 0);
    op.Follow("MESSAGE", "ＡＣアダプターを接続し、ＵＳＢケーブルをカメラに差し込んでください");
    EXPECT_EQ(g_bench.usbPlugged, 1);
    EXPECT_EQ(g_bench.power, SIM_POWER_AC_ADAPTER);
    op.Follow("MESSAGE", "ＡＣアダプター、ＵＳＢケーブルをカメラから取り外してください");
    EXPECT_EQ(g_bench.usbPlugged, 0);
}

TEST_F(OperatorPrompts, ViewerConditionsWithAndWithoutNdAndChart) {
    op.Follow("MESSAGEM", std::string(kConditions) +
                              "・レンズ　：　工具レンズ　固定絞り：Ｆ８\r\n・ＮＤフィルター：　ＮＤ３\r\n"
                              "・カラービュアー：　ＬＶ１３\r\n・カメラ－ビュアー距離：　最至近\r\n"
                              "・カラーバーチャート　：　無し");
    EXPECT_EQ(g_bench.lens, SIM_LENS_TOOL_F8);
    EXPECT_EQ(g_bench.ndFilter, 3);
    EXPECT_EQ(g_bench.light, SIM_LIGHT_VIEWER);
    EXPECT_DOUBLE_EQ(g_bench.lightLevel, 13);
    EXPECT_EQ(g_bench.closest, 1);
    EXPECT_EQ(g_bench.chart, SIM_CHART_NONE);

    op.Follow("MESSAGEM", std::string(kConditions) +
                              "・レンズ　：　工具レンズ　固定絞り　：　Ｆ８\r\n・ＮＤフィルター：　無し\r\n"
                              "・カラービュアー：　ＬＶ１３\r\n・カメラ－ビュアー距離：　最至近\r\n"
                              "・カラーバーチャート　：　有り");
    EXPECT_EQ(g_bench.ndFilter, 0);
    EXPECT_NE(g_bench.chart, SIM_CHART_NONE);
    op.Follow("MESSAGE", "ファインダーを覗いたときに全面が青になる位置にチャートを移動してください。");
    EXPECT_EQ(g_bench.chart, SIM_CHART_BLUE);
    op.Follow("MESSAGE", "ファインダーを覗いたときに全面が赤になる位置にチャートを移動してください。");
    EXPECT_EQ(g_bench.chart, SIM_CHART_RED);
}

TEST_F(OperatorPrompts, FlashApertureAndDarkBenches) {
    op.Follow("MESSAGEM", std::string(kConditions) +
                              "・レンズ　：　50mm　F1.4K\r\n・ＮＤフィルター：　無し\r\n・被写体　：　標準反射紙\r\n"
                              "・カメラ  --  被写体距離：1.414m\r\n・レンズ距離間位置：1.4m\r\n"
                              "・内蔵SBポップパップ　：　有り");
    EXPECT_EQ(g_bench.lens, SIM_LENS_50MM_F14);
    EXPECT_EQ(g_bench.light, SIM_LIGHT_REFLECTOR);
    EXPECT_DOUBLE_EQ(g_bench.subjectDistanceM, 1.414);
    EXPECT_EQ(g_bench.flashPoppedUp, 1);

    op.Follow("MESSAGEM", std::string(kConditions) +
                              "・レンズ　　　　　　：　50mm F1.4K\r\n・ＮＤフィルター　　：　無し\r\n"
                              "・輝度箱の輝度　　　：　ＬＶ９\r\n・カメラ－輝度箱間　：　最至近\r\n"
                              "・レンズ距離環位置　：　無限端");
    EXPECT_EQ(g_bench.light, SIM_LIGHT_BOX);
    EXPECT_DOUBLE_EQ(g_bench.lightLevel, 9);
    EXPECT_EQ(g_bench.closest, 1);

    op.Follow("MESSAGEM", std::string(kConditions) + "・レンズ　：　レンズキャップ付きレンズ\r\n"
                                                     "※．カメラに光を与えないでください\r\n");
    EXPECT_EQ(g_bench.lens, SIM_LENS_CAPPED);
    EXPECT_EQ(g_bench.light, SIM_LIGHT_OFF);
}

TEST_F(OperatorPrompts, UnknownTextChangesNothingAndAnswersAreTyped) {
    g_bench.lens = SIM_LENS_TOOL_F8;
    op.ClearRecord();
    op.Follow("エラー", "Ｇ出力バラツキ大です\r\nもう一度取り直してください\r\n\r\n・謎の条件：　何か\r\n");
    op.Follow("MESSAGE", "");
    EXPECT_EQ(g_sets, 0);
    EXPECT_TRUE(op.Record().empty());

    auto typed = op.Answer("7.2[V] CCD-OFF", "下記に電流計の値[Ａ]を入力してください。");
    ASSERT_TRUE(typed);
    EXPECT_EQ(*typed, "0.374");
    EXPECT_FALSE(op.Answer("INPUT", "何か"));
    EXPECT_FALSE(op.Record().empty());
}

}  // namespace
}  // namespace sim
