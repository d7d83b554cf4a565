#include "RasErrorText.h"

namespace {

struct TErrorText {
  DWORD Code;
  const char* Text;
};

const TErrorText Texts[] = {
    {ERROR_INVALID_HANDLE, "无效的连接句柄"},
    {ERROR_NOT_ENOUGH_MEMORY, "内存不足"},
    {ERROR_NOT_SUPPORTED, "不支持此操作"},
    {ERROR_INVALID_PARAMETER, "参数无效"},
    {PENDING, "操作尚未完成"},
    {ERROR_INVALID_PORT_HANDLE, "端口句柄无效"},
    {ERROR_PORT_ALREADY_OPEN, "端口已打开"},
    {ERROR_BUFFER_TOO_SMALL, "缓冲区太小"},
    {ERROR_WRONG_INFO_SPECIFIED, "指定的信息有误"},
    {ERROR_PORT_NOT_CONNECTED, "端口未连接"},
    {ERROR_DEVICE_DOES_NOT_EXIST, "设备不存在"},
    {ERROR_BUFFER_INVALID, "缓冲区无效"},
    {ERROR_CANNOT_OPEN_PHONEBOOK, "无法打开电话簿"},
    {ERROR_CANNOT_LOAD_PHONEBOOK, "无法读取电话簿"},
    {ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, "电话簿中没有此连接"},
    {ERROR_CANNOT_WRITE_PHONEBOOK, "无法写入电话簿"},
    {ERROR_CORRUPT_PHONEBOOK, "电话簿已损坏"},
    {ERROR_PORT_DISCONNECTED, "连接已断开"},
    {ERROR_REMOTE_DISCONNECTION, "远程计算机断开了连接"},
    {ERROR_HARDWARE_FAILURE, "硬件故障"},
    {ERROR_USER_DISCONNECTION, "用户断开了连接"},
    {ERROR_INVALID_SIZE, "结构大小不正确"},
    {ERROR_PORT_NOT_AVAILABLE, "端口已被占用"},
    {ERROR_UNKNOWN, "未知错误"},
    {ERROR_NO_CONNECTION, "连接已中断"},
    {ERROR_NO_ANSWER, "远程计算机没有应答"},
    {ERROR_NO_CARRIER, "没有检测到载波"},
    {ERROR_AUTHENTICATION_FAILURE, "用户名或密码错误"},
    {ERROR_RASMAN_CANNOT_INITIALIZE, "拨号服务无法启动"},
    {ERROR_PROJECTION_NOT_COMPLETE, "未能取得网络地址"},
    {ERROR_PROTOCOL_NOT_CONFIGURED, "未配置所需的网络协议"},
};

}  // namespace

const char* RasErrorText(DWORD AError) {
  for (const TErrorText& Entry : Texts)
    if (Entry.Code == AError) return Entry.Text;
  return "未知错误";
}
