// Receives OSC datagrams and decodes them with osc.js; prints one JSON line
// per datagram: {"size": bytes, "bundle": {...}} or {"size", "error"}.
const path = require('path');
const dgram = require('dgram');
const osc = require(path.join(process.argv[2], 'node_modules', 'osc'));

const port = Number(process.argv[3]);
const socket = dgram.createSocket('udp4');
socket.on('message', (data) => {
    let line;
    try {
        const packet = osc.readPacket(new Uint8Array(data), { metadata: true });
        line = { size: data.length, bundle: packet };
    } catch (e) {
        line = { size: data.length, error: String(e) };
    }
    process.stdout.write(JSON.stringify(line) + '\n');
});
socket.on('listening', () => process.stdout.write('ready\n'));
process.on('SIGTERM', () => { socket.close(); process.exit(0); });
socket.bind(port, '127.0.0.1');
