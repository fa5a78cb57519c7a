"""A Modbus ASCII master (pymodbus) that reads and writes slave 1 on the serial device named by the
first argument, and prints what it got, one line a request: a name, then numbers.
"""
import sys

try:
    from pymodbus.client import ModbusSerialClient
    from pymodbus.transaction import ModbusAsciiFramer
except ImportError as error:
    sys.exit(f"peer: pymodbus cannot be loaded ({error}); "
             "install python3-pymodbus and python3-serial-asyncio (scripts/install_deps.sh)")

SLAVE = 1


def show(name, response, values):
    """One line: the name, then the values, or the exception code after "exception"."""
    if response.isError():
        code = getattr(response, "exception_code", None)
        print(name, "exception", code if code is not None else -1, flush=True)
    else:
        print(name, *values(response), flush=True)


# A pseudo-terminal carries the characters whatever its settings: 8 data bits and no parity.
client = ModbusSerialClient(sys.argv[1], framer=ModbusAsciiFramer, baudrate=9600, bytesize=8,
                            parity="N", stopbits=1, timeout=3)
if not client.connect():
    sys.exit(f"peer: cannot open {sys.argv[1]}")
# The slave is given positionally: its keyword is not the same in every pymodbus release.
show("parameters", client.read_holding_registers(0x0300, 44, SLAVE), lambda r: r.registers)
show("realtime", client.read_holding_registers(0x0000, 69, SLAVE), lambda r: r.registers)
show("write_register", client.write_register(0x0356, 7, SLAVE), lambda r: [r.address, r.value])
show("readback", client.read_holding_registers(0x0356, 1, SLAVE), lambda r: r.registers)
show("write_coil", client.write_coil(1, True, SLAVE), lambda r: [r.address, int(r.value)])
show("coils", client.read_coils(0, 8, SLAVE), lambda r: [int(b) for b in r.bits[:8]])
show("missing", client.read_holding_registers(0x0116, 1, SLAVE), lambda r: r.registers)
client.close()
