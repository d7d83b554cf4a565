#include "RasErrorText.h"

#include "RasProviderName.h"

namespace {

struct TErrorText {
  DWORD Code;
  const char* Chinese;
  const char* English;
};

const TErrorText Texts[] = {
    {ERROR_ACCESS_DENIED, "没有权限", "permission denied"},
    {ERROR_INVALID_HANDLE, "无效的连接句柄", "the connection handle is not valid"},
    {ERROR_NOT_ENOUGH_MEMORY, "内存不足", "not enough memory"},
    {ERROR_NOT_SUPPORTED, "不支持此操作", "the dial-up provider in use does not support this"},
    {ERROR_INVALID_PARAMETER, "参数无效", "an argument is not valid"},
    {PENDING, "操作尚未完成", "the operation is still on its way"},
    {ERROR_INVALID_PORT_HANDLE, "端口句柄无效", "the port handle is not valid"},
    {ERROR_PORT_ALREADY_OPEN, "端口已打开", "the port is already open"},
    {ERROR_BUFFER_TOO_SMALL, "缓冲区太小", "the buffer is too small"},
    {ERROR_WRONG_INFO_SPECIFIED, "指定的信息有误",
     "the dial parameters differ from the entry's stored ones"},
    {ERROR_PORT_NOT_CONNECTED, "端口未连接", "the port is not connected"},
    {ERROR_DEVICE_DOES_NOT_EXIST, "设备不存在", "the device does not exist"},
    {ERROR_BUFFER_INVALID, "缓冲区无效", "the buffer is not valid"},
    {ERROR_CANNOT_OPEN_PHONEBOOK, "无法打开电话簿", "the phonebook cannot be opened"},
    {ERROR_CANNOT_LOAD_PHONEBOOK, "无法读取电话簿", "the phonebook cannot be read"},
    {ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, "电话簿中没有此连接", "the phonebook has no such entry"},
    {ERROR_CANNOT_WRITE_PHONEBOOK, "无法写入电话簿", "the phonebook cannot be written"},
    {ERROR_CORRUPT_PHONEBOOK, "电话簿已损坏", "the phonebook is corrupt"},
    {ERROR_PORT_DISCONNECTED, "连接已断开", "the line was cut"},
    {ERROR_REMOTE_DISCONNECTION, "远程计算机断开了连接", "the remote end hung up"},
    {ERROR_HARDWARE_FAILURE, "硬件故障", "the device failed"},
    {ERROR_USER_DISCONNECTION, "用户断开了连接", "the connection was hung up"},
    {ERROR_INVALID_SIZE, "结构大小不正确", "a record has the wrong size"},
    {ERROR_PORT_NOT_AVAILABLE, "端口已被占用", "no more connections are possible"},
    {ERROR_UNKNOWN, "未知错误", "an unknown error occurred"},
    {ERROR_REQUEST_TIMEOUT, "请求超时", "the dial made no progress in time"},
    {ERROR_NO_CONNECTION, "连接已中断", "no connection of the entry is listed"},
    {ERROR_LINE_BUSY, "线路忙", "the line is busy"},
    {ERROR_NO_ANSWER, "远程计算机没有应答", "the remote end did not answer"},
    {ERROR_NO_CARRIER, "没有检测到载波", "no carrier was detected"},
    {ERROR_NO_DIALTONE, "没有拨号音", "there is no dial tone"},
    {ERROR_AUTHENTICATION_FAILURE, "用户名或密码错误",
     "the user name or password was not accepted"},
    {ERROR_RASMAN_CANNOT_INITIALIZE, "拨号服务无法启动", "the dial-up service cannot start"},
    {ERROR_PROJECTION_NOT_COMPLETE, "未能取得网络地址", "the connection has no address yet"},
    {ERROR_PROTOCOL_NOT_CONFIGURED, "未配置所需的网络协议", "the network protocol is not set up"},
    {ERROR_PPP_LCP_TERMINATED, "远程计算机终止了链路", "the remote end ended the link"},
};

const TErrorText* Find(DWORD AError) {
  for (const TErrorText& Entry : Texts)
    if (Entry.Code == AError) return &Entry;
  return nullptr;
}

}  // namespace

const char* RasErrorText(DWORD AError) {
  const TErrorText* Entry = Find(AError);
  return Entry != nullptr ? Entry->Chinese : "未知错误";
}

const char* RasErrorTextEnglish(DWORD AError) {
  const TErrorText* Entry = Find(AError);
  return Entry != nullptr ? Entry->English : "the dial-up service reported an error";
}

bool RasErrorTextKnown(DWORD AError) { return Find(AError) != nullptr; }

std::string RasErrorDescription(DWORD AError) {
  std::string Text = "error " + std::to_string(AError) + ": " + RasErrorTextEnglish(AError);
  const std::string Advice = RasErrorAdvice(AError);
  if (!Advice.empty()) Text += "; " + Advice;
  return Text;
}
