#include "analytics/event_catalogue.h"

#include <gtest/gtest.h>

#include "analytics/zv_exception.h"

namespace {

using namespace zorvan::analytics;

std::string ThrownBy(const std::function<void()>& call) {
  try {
    call();
  } catch (const ZvException& error) {
    return error.function() + ": " + error.what();
  }
  return "nothing thrown";
}

TEST(EventCatalogue, TaskResultsUpToFailAreSent) {
  const std::pair<ZvResult, const char*> cases[] = {{ZvResult::Success, "\"Success\""},
                                                    {ZvResult::Cancelled, "\"Cancelled\""},
                                                    {ZvResult::Fail, "\"Fail\""},
                                                    {ZvResult::Unknown, nullptr}};
  for (const auto& [result, text] : cases) {
    ZvEventTask task;
    task.name = "t";
    task.result = std::make_shared<ZvResult>(result);
    const PropertiesNode properties = TaskProperties(task);
    const auto* sent = properties.Find("zv_task_result");
    if (text == nullptr) {
      EXPECT_EQ(sent, nullptr);
    } else {
      ASSERT_NE(sent, nullptr);
      EXPECT_EQ("\"" + sent->string() + "\"", text);
    }
  }
  ZvEventTask task;
  task.name = "t";
  task.elapsed = std::make_shared<double>(0.0);
  task.reason = "why";
  EXPECT_EQ(TaskProperties(task).ToJson(),
            "{\"$is_first_time\":true,\"zv_reason\":\"why\",\"zv_task_elapsed\":0,\"zv_task_name\":\"t\"}");
}

TEST(EventCatalogue, RequiredFieldsAndBadEnumerationsThrow) {
  ZvEventFile badIo;
  badIo.aname = "open";
  badIo.io = std::make_shared<ZvFileIo>(static_cast<ZvFileIo>(2));
  ZvEventPayment cancelled;
  cancelled.orderId = "o1";
  cancelled.result = std::make_shared<ZvResult>(ZvResult::Cancelled);
  ZvEventShare share;
  share.result = std::make_shared<ZvResult>(static_cast<ZvResult>(4));
  ZvEventUpdate update;
  update.op = ZvUpdateOp::DownloadEnd;
  ZvEventOrder order;
  order.suitId = "s";
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[] { TaskProperties(ZvEventTask{}); }, "trackTask: zvEventTask.name is empty"},
      {[] { ClickProperties(ZvEventClick{}); }, "trackClick: zvEventClick.name is empty"},
      {[] { ViewProperties(ZvEventView{}); }, "trackView: zvEventView.name is empty"},
      {[&] { FileProperties(badIo); }, "trackFile: the io type is invalid"},
      {[&] { PaymentProperties(cancelled); }, "trackPayment: zvEventPayment.result is invalid"},
      {[&] { ShareProperties(share); }, "trackShare: Unknown task result [4]!"},
      {[&] { UpdateProperties(update); }, "trackUpdate: Unknown updateResultInfo info"},
      {[&] { OrderProperties(order); }, "trackOrder: zvEventOrder.zvCurrency is nullptr"},
      {[] { AppOpenNotificationProperties(nullptr); },
       "trackAppOpenNotification: &appOpenNotification is nullptr"},
  };
  for (const auto& [call, expected] : cases) EXPECT_EQ(ThrownBy(call), expected);
}

TEST(EventCatalogue, ClicksDefaultToOthersAndFilesOmitAZeroSize) {
  ZvEventClick click;
  click.name = "c";
  EXPECT_EQ(ClickProperties(click).Find("zv_click_type")->string(), "Others");
  ZvEventFile file;
  file.aname = "save";
  file.size = std::make_shared<double>(0.0);
  file.io = std::make_shared<ZvFileIo>(ZvFileIo::Output);
  const PropertiesNode properties = FileProperties(file);
  EXPECT_FALSE(properties.Has("zv_size"));
  EXPECT_EQ(properties.Find("zv_io")->string(), "Output");
}

}  // namespace
