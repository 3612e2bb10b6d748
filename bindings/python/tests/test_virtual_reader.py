"""Ring tags through a virtual reader: format, read back, and a failure
without a tag (the reader has no ClockLink error code)."""
import pytest

import skylark
from skylark import virtual
from skylark.virtual import VirtualReader


def test_tag_road(sk):
    with VirtualReader(sk) as reader:
        with pytest.raises(skylark.SkylarkError) as empty:
            sk.skr_active_card(reader.handle)
        assert empty.value.export == "SKR_ActiveCard" and empty.value.error_code is None
        reader.put_tag(bytes.fromhex("A1B2C3D4"))
        assert sk.skr_active_card(reader.handle) == "A1B2C3D4"
        sk.skr_format_card(reader.handle, "0123456789AB", bytes.fromhex("00001234"))
        assert sk.skr_read_card(reader.handle) == ("0123456789AB", "00001234")
        assert reader.read_tag_page(0) == bytes.fromhex("A1B2C3D4")
        reader.fail_next_write(virtual.RRV_WRITE_REFUSED)
        with pytest.raises(skylark.SkylarkError) as refused:
            sk.skr_format_card(reader.handle, "0123456789AB", "00005678")
        assert refused.value.refused_by == skylark.READER
        sk.skr_deactive_card(reader.handle)
        reader.take_tag()
        with pytest.raises(virtual.VirtualClockError, match="RRV_TakeTag"):
            reader.take_tag()
