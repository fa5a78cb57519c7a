"""A Modbus ASCII slave at address 1 (pymodbus) on the serial device named by the first argument.

Holding registers 0x0000..0x03FF start at 0x1000 + their address, coils alternate from off; the
slave prints "ready" once the device is open and serves until it is killed.
"""
import asyncio
import sys

try:
    from pymodbus.datastore import (ModbusSequentialDataBlock, ModbusServerContext,
                                    ModbusSlaveContext)
    from pymodbus.server import StartAsyncSerialServer
    from pymodbus.transaction import ModbusAsciiFramer
except ImportError as error:
    sys.exit(f"peer: pymodbus cannot be loaded ({error}); "
             "install python3-pymodbus and python3-serial-asyncio (scripts/install_deps.sh)")


async def serve(device):
    registers = ModbusSequentialDataBlock(0, [0x1000 + k for k in range(0x400)])
    coils = ModbusSequentialDataBlock(0, [k % 2 == 1 for k in range(0x400)])
    slave = ModbusSlaveContext(hr=registers, co=coils, zero_mode=True)
    context = ModbusServerContext(slaves={1: slave}, single=False)
    # A pseudo-terminal carries the characters whatever its settings, and Linux refuses pyserial's
    # second setting of parity on one: 8 data bits and no parity.
    server = await StartAsyncSerialServer(context=context, framer=ModbusAsciiFramer, port=device,
                                          baudrate=9600, bytesize=8, parity="N", stopbits=1,
                                          defer_start=True)
    await server.start()
    if server.transport is None:
        sys.exit(f"peer: cannot open {device}")
    print("ready", flush=True)
    await server.serve_forever()


asyncio.run(serve(sys.argv[1]))
