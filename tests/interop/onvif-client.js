// The simulator's ONVIF service through the npm onvif client: connect (which
// reads the clock, capabilities, video sources and profiles), then the
// stream and snapshot URIs of every profile. Prints one line per profile:
//   TOKEN WIDTHxHEIGHT ENCODING STREAM_URI SNAPSHOT_URI
// usage: node onvif-client.js HOST USER PASSWORD
const { Cam } = require('./onvif-client/node_modules/onvif');
const [host, username, password] = process.argv.slice(2);
const fail = (what, error) => { console.error(`${what}: ${error && error.message ? error.message : error}`); process.exit(1); };
const camera = new Cam({ hostname: host, username, password, port: 80, timeout: 5000 }, function (error) {
  if (error) fail('connect', error);
  const profiles = this.profiles || [];
  if (profiles.length === 0) fail('connect', 'no profiles');
  let left = profiles.length;
  for (const profile of profiles) {
    const video = profile.videoEncoderConfiguration;
    camera.getStreamUri({ protocol: 'RTSP', profileToken: profile.$.token }, (streamError, stream) => {
      if (streamError) fail('getStreamUri', streamError);
      camera.getSnapshotUri({ profileToken: profile.$.token }, (snapError, snapshot) => {
        if (snapError) fail('getSnapshotUri', snapError);
        console.log(`${profile.$.token} ${video.resolution.width}x${video.resolution.height} ${video.encoding} ${stream.uri} ${snapshot.uri}`);
        if (--left === 0) process.exit(0);
      });
    });
  }
});
