"""Results and outputs against the scripted test clock of the stand-in
ClockLink: each call takes the answer queued for it."""
import ctypes

import pytest

import skylark


class CltAnswer(ctypes.Structure):
    _fields_ = [("status", ctypes.c_int16), ("reply", ctypes.c_ubyte * 256),
                ("replyBytes", ctypes.c_uint32), ("delivered", ctypes.c_uint32),
                ("errCode", ctypes.c_uint32), ("hook", ctypes.c_void_p),
                ("hookContext", ctypes.c_void_p)]


@pytest.fixture
def scripted(sk):
    lib = sk.clocklink
    lib.CLT_OpenTestClock.restype = ctypes.c_uint32
    lib.CLT_Close.argtypes = (ctypes.c_uint32,)
    lib.CLT_Queue.argtypes = (ctypes.c_uint32, ctypes.POINTER(CltAnswer))
    handle = lib.CLT_OpenTestClock()

    def answer(status=1, reply=b"", err=0):
        a = CltAnswer(status=status, replyBytes=len(reply), delivered=len(reply), errCode=err)
        a.reply[:len(reply)] = list(reply)
        lib.CLT_Queue(handle, ctypes.byref(a))

    answer.handle = handle
    yield answer
    lib.CLT_Close(handle)


def test_outputs_come_back_as_python_values(sk, scripted):
    scripted(reply=bytes(range(16)))
    assert sk.sk_get_dev_info(scripted.handle) == bytes(range(16)).hex().upper()
    scripted(reply=bytes.fromhex("100314090507"))
    assert str(sk.sk_get_time(scripted.handle)) == "2010-03-14 09:05:07"
    # The one export under a decorated name: 16-bit and 32-bit figures.
    scripted(reply=bytes.fromhex("BEEF 12345678"))
    assert sk.skm_get_race_info2(scripted.handle, 0) == (0xBEEF, 0x12345678)
    scripted(reply=bytes.fromhex("0123456789AB0000 00 0001 0002 0003 00000004") + bytes(range(12)))
    info = sk.skm_get_card_info(scripted.handle, 0)
    assert info.ring_text == "0123456789AB" and info.long_field == 4
    assert info.data_field == bytes(range(12)).hex().upper()


def test_failure_raises_with_export_and_clocklink_error(sk, scripted):
    scripted(status=0, err=131)
    with pytest.raises(skylark.SkylarkError) as failed:
        sk.sk_get_time(scripted.handle)
    assert (failed.value.export, failed.value.error_code, failed.value.status) == ("SK_GetTime", 131, 0)
    scripted(reply=b"\x01")  # exact length: a short reply fails too
    with pytest.raises(skylark.SkylarkError, match="SKM_GetRaceCount"):
        sk.skm_get_race_count(scripted.handle)


def test_pass_through_status_is_returned(sk, scripted):
    scripted(status=7)
    assert sk.skm_close_race(scripted.handle, bytes(8)) == 7
    scripted(status=-2)
    assert sk.sk_active_isp(scripted.handle) == -2
    scripted(status=0, err=9)
    assert sk.raw.SKM_CloseRace(scripted.handle, b"00" * 8) == 0  # raw: no exception
    assert sk.error_code(scripted.handle) == 9
