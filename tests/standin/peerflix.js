// Stands in for the peerflix command-line program in tests, with no network: node peerflix.js [options] [--] <magnet
// link>. It reads its arguments as peerflix does: those beginning with "-" are options up to a "--", and every one
// after it is plain; the first plain one is the torrent, and without one it prints its usage and ends with 1.
// It prints the screens peerflix prints while a torrent is fetched (cursor home, clear screen, colours), one screen
// per step of the steps file named by OX_PEERFLIX_STANDIN_STEPS. The test appends steps, one a line, and the script
// plays each new complete line in order:
//   peers [N]            "fetching torrent metadata from N peers" (no N: the figure is missing)
//   stream SPEED         "info streaming <file> - SPEED from 3/7 peers"
//   address HREF         "open vlc and enter HREF as the network address"
//   flood BYTES MARK     BYTES bytes of streaming screens, then the file MARK is written (the reader kept up)
//   torrent FILE         the torrent it was given is written to FILE
//   ignore-term          SIGTERM no longer ends the script
//   exit CODE            ends with that code
// Without a steps file it plays a short fetch and announces http://127.0.0.1:8888/. It ends when its standard input
// closes, so a test that dies leaves nothing running.
'use strict';
const fs = require('fs');

const ESC = '\x1b';
const green = (t) => `${ESC}[32m${t}${ESC}[39m`;
const bold = (t) => `${ESC}[1m${t}${ESC}[22m`;
const yellow = (t) => `${ESC}[33m${t}${ESC}[39m`;
const screen = (text) => `${ESC}[H${ESC}[2J${text}\n`;
const file = 'Lantern Street - S01E01 (1.2 GB).mkv';

const screens = {
  peers: (n) => screen(`${green('fetching torrent metadata from')} ${bold(n || '')} ${green('peers')}`),
  stream: (speed) => screen(`${yellow('info')} ${green('streaming')} ${bold(file)} ${green('-')} ${bold(speed)} ` +
                            `${green('from')} ${bold('3/7')} ${green('peers')}    `),
  address: (href) => screen(`${green('open')} ${bold('vlc')} ${green('and enter')} ${bold(href)} ` +
                            `${green('as the network address')}`),
};

const args = process.argv.slice(2);
const end = args.indexOf('--');
const torrent = (end < 0 ? args : args.slice(0, end)).filter((a) => !a.startsWith('-'))
  .concat(end < 0 ? [] : args.slice(end + 1))[0];
if (torrent === undefined) {
  process.stderr.write('Usage: peerflix magnet-link-or-torrent [options]\n');
  process.exit(1);
}

// Writes to a pipe block on Linux, so a reader that stops reading holds the script here.
const write = (text) => fs.writeSync(1, text);

function play(line) {
  const [verb, ...rest] = line.split(' ');
  if (verb in screens) return write(screens[verb](rest.join(' ')));
  if (verb === 'flood') {
    const page = screens.stream('2.5 MB/s');
    for (let sent = 0; sent < Number(rest[0]); sent += page.length) write(page);
    return fs.writeFileSync(rest[1], 'drained');
  }
  if (verb === 'torrent') return fs.writeFileSync(rest.join(' '), torrent);
  if (verb === 'ignore-term') return process.on('SIGTERM', () => {});
  if (verb === 'exit') return process.exit(Number(rest[0]));
}

process.stdin.on('end', () => process.exit(0));
process.stdin.on('error', () => process.exit(0));
process.stdin.resume();

const stepsFile = process.env.OX_PEERFLIX_STANDIN_STEPS;
if (!stepsFile) {
  const demo = ['peers 0', 'peers 4', 'stream 0 B/s', 'address http://127.0.0.1:8888/'];
  demo.forEach((line, i) => setTimeout(() => play(line), 300 * i));
} else {
  let done = 0;
  setInterval(() => {
    let text = '';
    try { text = fs.readFileSync(stepsFile, 'utf8'); } catch (e) { return; }
    const lines = text.split('\n').slice(0, -1);  // only complete lines
    while (done < lines.length) play(lines[done++]);
  }, 20);
}
