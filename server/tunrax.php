<?php
// Tunrax server script: serves the music collection that lies in this
// script's folder to the Tunrax player.
//
//   tunrax.php?verzeichnis=\Artist\Album\   the song files (*.mp3, any case,
//                                           regular files) of that folder,
//                                           one name per line
//   tunrax.php?datei=\Artist\Album\01.mp3   the song, byte for byte
//                                           (Content-Length, single ranges)
//   tunrax.php?datei=tunrax.dat             the catalogue (or tunrax2.dat)
//
// The parameter is taken from the raw query and decoded with rawurldecode,
// so a "+" stays a "+". "\" (and "/") separate the names below this folder.
// Only what the player asks for is served: song files (*.mp3, any case) and
// the two catalogues in this folder. Everything else is answered with a bare
// 404: other files (PHP and its kin, "x.php " and "x.php." included), names
// beginning with "." (.htpasswd, .user.ini, hidden folders), "..", absolute
// paths, NUL bytes, and anything that is not a regular file or folder inside
// this folder after every symbolic link is resolved, or whose resolved name
// breaks these rules. Needs PHP 7.4 or later.

error_reporting(0);
ini_set('display_errors', '0');
ini_set('zlib.output_compression', '0');
header_remove('X-Powered-By');

function tunrax_not_found()
{
    http_response_code(404);
    header('Content-Type: text/plain');
    header('Content-Length: 0');
    exit;
}

// The value of the parameter $name in the raw query, or null.
function tunrax_parameter($name)
{
    $query = isset($_SERVER['QUERY_STRING']) ? $_SERVER['QUERY_STRING'] : '';
    foreach (explode('&', $query) as $pair) {
        $parts = explode('=', $pair, 2);
        if (count($parts) == 2 && $parts[0] === $name) {
            return rawurldecode($parts[1]);
        }
    }
    return null;
}

function tunrax_is_below($path, $base)
{
    return $path === $base || strncmp($path, $base . '/', strlen($base) + 1) === 0;
}

// The real path inside this folder that $relative names, or null.
function tunrax_resolve($relative)
{
    if (strpos($relative, "\0") !== false || strlen($relative) > 4096) {
        return null;
    }
    // The player's paths begin with "\" and mean this folder; a leading "/"
    // or a drive letter is an absolute path.
    if ($relative !== '' && ($relative[0] === '/' || preg_match('/^[A-Za-z]:/', $relative))) {
        return null;
    }
    $relative = str_replace('\\', '/', $relative);
    if (tunrax_has_dot_name($relative)) {
        return null;
    }
    $base = realpath(__DIR__);
    if ($base === false) {
        return null;
    }
    $real = realpath(__DIR__ . '/' . ltrim($relative, '/'));
    if ($real === false || !tunrax_is_below($real, $base)
        || tunrax_has_dot_name(tunrax_below($real, $base))) {
        return null;
    }
    return $real;
}

// $path below $base, without a leading "/" ("" for $base itself).
function tunrax_below($path, $base)
{
    return (string)substr($path, strlen($base) + 1);
}

// True when a name of the "/"-separated $path begins with "." ("." and ".."
// included): hidden files such as .htpasswd or .user.ini are never served.
function tunrax_has_dot_name($path)
{
    foreach (explode('/', $path) as $name) {
        if ($name !== '' && $name[0] === '.') {
            return true;
        }
    }
    return false;
}

function tunrax_is_song($name)
{
    return strlen($name) > 4 && strcasecmp(substr($name, -4), '.mp3') === 0;
}

// True for what the player asks for: a song anywhere, a catalogue only in
// this folder. $path is "/"-separated below this folder.
function tunrax_is_servable($path)
{
    $names = array_values(array_filter(explode('/', $path), 'strlen'));
    if (count($names) == 0 || tunrax_has_dot_name($path)) {
        return false;
    }
    if (count($names) == 1 && ($names[0] === 'tunrax.dat' || $names[0] === 'tunrax2.dat')) {
        return true;
    }
    return tunrax_is_song($names[count($names) - 1]);
}

function tunrax_list($folder)
{
    $base = realpath(__DIR__);
    $names = scandir($folder);
    if ($names === false) {
        tunrax_not_found();
    }
    $body = '';
    foreach ($names as $name) {
        if ($name[0] === '.' || !tunrax_is_song($name)) {
            continue;
        }
        $real = realpath($folder . '/' . $name);
        if ($real !== false && tunrax_is_below($real, $base) && is_file($real)
            && tunrax_is_servable(tunrax_below($real, $base))) {
            $body .= $name . "\n";
        }
    }
    header('Content-Type: text/plain');
    header('Content-Length: ' . strlen($body));
    echo $body;
}

// [first, last] of a single "bytes=" range, false for an unsatisfiable one,
// null when the whole file is sent.
function tunrax_range($size)
{
    if (!isset($_SERVER['HTTP_RANGE'])) {
        return null;
    }
    if (!preg_match('/^bytes=(\d*)-(\d*)$/', trim($_SERVER['HTTP_RANGE']), $m)
        || ($m[1] === '' && $m[2] === '')) {
        return null;
    }
    if ($m[1] === '') {
        $length = (int)$m[2];
        if ($length == 0 || $size == 0) {
            return false;
        }
        return array(max(0, $size - $length), $size - 1);
    }
    $first = (int)$m[1];
    $last = $m[2] === '' ? $size - 1 : min((int)$m[2], $size - 1);
    if ($first >= $size || $last < $first) {
        return false;
    }
    return array($first, $last);
}

function tunrax_send($file)
{
    $handle = fopen($file, 'rb');
    if ($handle === false) {
        tunrax_not_found();
    }
    $size = filesize($file);
    $range = tunrax_range($size);
    header('Accept-Ranges: bytes');
    if ($range === false) {
        http_response_code(416);
        header('Content-Range: bytes */' . $size);
        header('Content-Length: 0');
        return;
    }
    list($first, $last) = $range === null ? array(0, $size - 1) : $range;
    if ($range !== null) {
        http_response_code(206);
        header("Content-Range: bytes $first-$last/$size");
    }
    header('Content-Type: application/octet-stream');
    header('Content-Length: ' . ($last - $first + 1));
    if ($_SERVER['REQUEST_METHOD'] === 'HEAD') {
        return;
    }
    while (ob_get_level() > 0) {
        ob_end_clean();
    }
    set_time_limit(0);
    fseek($handle, $first);
    $left = $last - $first + 1;
    while ($left > 0 && !feof($handle) && !connection_aborted()) {
        $chunk = fread($handle, min(65536, $left));
        if ($chunk === false || $chunk === '') {
            break;
        }
        echo $chunk;
        flush();
        $left -= strlen($chunk);
    }
    fclose($handle);
}

$method = isset($_SERVER['REQUEST_METHOD']) ? $_SERVER['REQUEST_METHOD'] : 'GET';
if ($method !== 'GET' && $method !== 'HEAD') {
    tunrax_not_found();
}

$folder = tunrax_parameter('verzeichnis');
$file = tunrax_parameter('datei');
if ($folder !== null && $file === null) {
    $real = tunrax_resolve($folder);
    if ($real === null || !is_dir($real)) {
        tunrax_not_found();
    }
    tunrax_list($real);
} elseif ($file !== null && $folder === null) {
    $real = tunrax_resolve($file);
    // The name asked for and the file it leads to must both be a song or a
    // catalogue: configuration, PHP files and the like stay unread.
    if ($real === null || !is_file($real)
        || !tunrax_is_servable(str_replace('\\', '/', $file))
        || !tunrax_is_servable(tunrax_below($real, realpath(__DIR__)))) {
        tunrax_not_found();
    }
    tunrax_send($real);
} else {
    tunrax_not_found();
}
