"""Codecs and record decoding: conversions at the edges, no clock involved."""
import ctypes
from datetime import datetime

import pytest

import skylark


def test_hex_and_dates_round_trip(sk):
    assert sk.bin_to_hex(b"\x00\xab\x9f\x12") == "00AB9F12"
    assert sk.bin_to_hex(b"") == ""
    assert sk.hex_to_bin("00 ab-9F12", 8) == b"\x00\xab\x9f\x12"
    assert sk.hex_to_bin(b"\x01\x02", 1) == b"\x01"  # bytes go in as their hex text
    when = datetime(2010, 3, 14, 9, 5, 7)
    assert sk.date_to_bcd(when) == bytes.fromhex("100314090507")
    assert sk.bcd_to_date(bytes.fromhex("100314090507")) == when
    assert sk.bcd_to_date(bytes.fromhex("101314090507")) is None  # month 13: no date
    with pytest.raises(ValueError):
        sk.bcd_to_date(b"\x10\x03")


def test_masked_record_unmasks(sk):
    mask = sk.sk_parse_record_info2("00" * 24)[32:]
    assert sk.sk_parse_record_info2("00" * 24) == mask * 3
    body = bytes(range(16))
    assert sk.sk_parse_record_info3(body + bytes.fromhex(mask)) == body.hex().upper() + "00" * 8


def test_record_that_fails_its_checks_raises_without_error_code(sk):
    with pytest.raises(skylark.SkylarkError) as failed:
        sk.sk_parse_record_info(b"\x01" * 8, "00" * 48)
    assert failed.value.export == "SK_ParseRecordInfo"
    assert failed.value.error_code is None and failed.value.status == 0
    with pytest.raises(ValueError):
        sk.sk_parse_record_info(b"\x01" * 7, "00" * 48)
    assert sk.raw.SK_ParseRecordInfo(b"\x01" * 8, b"00" * 48, ctypes.create_string_buffer(81)) == 0
